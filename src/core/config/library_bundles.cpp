#include "core/config/library_bundles.hpp"

#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

#include "vesk/configuration.hpp"

namespace vesk::config {

namespace {

struct Override {
    std::string_view infoKey;
    std::string_view environmentVariable;
};

constexpr std::array<Override, 9> kOverrides{{
    {"apiUrl", "VESK_API_URL"},
    {"wssUrl", "VESK_WSS_URL"},
    {"filesUrl", "VESK_FILES_URL"},
    {"appGroupDomain", "VESK_APP_GROUP"},
    {"moyaLog", "VESK_MOYA_LOG"},
    {"providerName", "VESK_PROVIDER_NAME"},
    {"widgetUrl", "VESK_WIDGET_URL"},
    {"caFile", "VESK_CA_FILE"},
    {"reconnect", "VESK_RECONNECT"},
}};

void applyConfigFile(JsonObject& info) {
    const char* path = std::getenv("VESK_CONFIG");  // NOLINT(concurrency-mt-unsafe)
    if (path == nullptr || *path == '\0') {
        return;
    }
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    const auto parsed = JsonValue::parse(text.str());
    if (!parsed || !parsed->isObject()) {
        return;  // an unreadable file leaves the defaults in place
    }
    for (const auto& o : kOverrides) {
        if (auto value = parsed->getString(o.infoKey)) {
            info.set(std::string(o.infoKey), JsonValue(std::move(*value)));
        }
    }
}

void applyEnvironment(JsonObject& info) {
    for (const auto& o : kOverrides) {
        const char* value = std::getenv(
            std::string(o.environmentVariable).c_str());  // NOLINT(concurrency-mt-unsafe)
        if (value != nullptr) {
            info.set(std::string(o.infoKey), JsonValue(std::string(value)));
        }
    }
}

Bundle makeBundle(std::string_view identifier, const JsonObject& info) {
    Bundle bundle{std::string(identifier)};
    bundle.setInfoDictionary(info);
    bundle.setStrings("en", englishStrings());
    bundle.setStrings("ru", russianStrings());
    return bundle;
}

}  // namespace

std::vector<Bundle> makeLibraryBundles() {
    JsonObject info;
    info.set("apiUrl", JsonValue(kDefaultApiUrl));
    info.set("wssUrl", JsonValue(kDefaultWssUrl));
    info.set("filesUrl", JsonValue(kDefaultFilesUrl));
    info.set("appGroupDomain", JsonValue(kDefaultAppGroupDomain));
    info.set("widgetUrl", JsonValue(kDefaultWidgetUrl));
    applyConfigFile(info);
    applyEnvironment(info);

    std::vector<Bundle> bundles;
    bundles.push_back(makeBundle(kSdkBundleId, info));
    bundles.push_back(makeBundle(kLibBundleId, info));
    return bundles;
}

Bundle::StringTable englishStrings() {
    return {
        {"vx_sdk.messages.write_message", "Write a message…"},
        {"vx_sdk.button.write_us_vkontakte", "Write to us on VK"},
        {"vx_sdk.button.write_us_viber", "Write to us on Viber"},
        {"vx_sdk.button.write_us_telegram", "Write to us on Telegram"},
        {"vx_sdk.button.write_us_facebook", "Write to us on Facebook"},
        {"vx_sdk.dialogs.title", "Conversations"},
        {"vx_sdk.dialogs.empty", "No conversations yet"},
        {"vx_sdk.dialogs.empty_details", "Start a conversation and we will answer here."},
        {"vx_sdk.messages.operator_feedback", "Rate the operator"},
        {"vx_sdk.powered_by", "Powered by Vesk"},
        {"Отправка заблокирована", "Sending is blocked"},
        {"Повторить попытку", "Try again"},
        {"Удалить", "Delete"},
        {"Отмена", "Cancel"},
        {"vx_lib.no_internet", "No internet connection"},
        {"vx_lib.no_internet_details", "Check your connection and try again."},
        {"vx_lib.retry", "Retry"},
        {"vx_lib.server_error", "Something went wrong"},
        {"vx_lib.server_error_details", "We could not load the data. Please try again."},
    };
}

Bundle::StringTable russianStrings() {
    return {
        {"vx_sdk.messages.write_message", "Напишите сообщение…"},
        {"vx_sdk.button.write_us_vkontakte", "Написать нам во ВКонтакте"},
        {"vx_sdk.button.write_us_viber", "Написать нам в Viber"},
        {"vx_sdk.button.write_us_telegram", "Написать нам в Telegram"},
        {"vx_sdk.button.write_us_facebook", "Написать нам в Facebook"},
        {"vx_sdk.dialogs.title", "Диалоги"},
        {"vx_sdk.dialogs.empty", "Диалогов пока нет"},
        {"vx_sdk.dialogs.empty_details", "Напишите нам, и мы ответим здесь."},
        {"vx_sdk.messages.operator_feedback", "Оцените оператора"},
        {"vx_sdk.powered_by", "Работает на Vesk"},
        {"Отправка заблокирована", "Отправка заблокирована"},
        {"Повторить попытку", "Повторить попытку"},
        {"Удалить", "Удалить"},
        {"Отмена", "Отмена"},
        {"vx_lib.no_internet", "Нет подключения к интернету"},
        {"vx_lib.no_internet_details", "Проверьте подключение и попробуйте снова."},
        {"vx_lib.retry", "Повторить"},
        {"vx_lib.server_error", "Что-то пошло не так"},
        {"vx_lib.server_error_details", "Не удалось загрузить данные. Попробуйте ещё раз."},
    };
}

}  // namespace vesk::config

namespace vesk {

void configure(const DeploymentValues& values) {
    const std::array<std::pair<std::string_view, const std::optional<std::string>*>, 9> entries{{
        {"apiUrl", &values.apiUrl},
        {"wssUrl", &values.wssUrl},
        {"filesUrl", &values.filesUrl},
        {"appGroupDomain", &values.appGroupDomain},
        {"moyaLog", &values.moyaLog},
        {"providerName", &values.providerName},
        {"widgetUrl", &values.widgetUrl},
        {"caFile", &values.caFile},
        {"reconnect", &values.reconnect},
    }};
    for (const auto id : {config::kSdkBundleId, config::kLibBundleId}) {
        auto current = findBundle(id);
        if (!current) {
            continue;
        }
        Bundle updated = *current;
        for (const auto& [key, value] : entries) {
            if (*value) {
                updated.setInfo(std::string(key), JsonValue(**value));
            }
        }
        registerBundle(std::move(updated));
    }
}

}  // namespace vesk
