#include "services/models/knowledge_base.hpp"

#include "services/models/strict_decoding.hpp"

namespace vesk::json {

using strict::ifPresentInt;
using strict::ifPresentString;
using strict::key;

Decoded<KnowledgeBaseSettings> Codec<KnowledgeBaseSettings>::decode(const JsonValue& value) {
    VESK_STRICT_TRY(object, requireObject(value, typeName()));
    const JsonObject& o = **object;
    VESK_STRICT_TRY(domain, reqString(o, "domain"));
    VESK_STRICT_TRY(app, reqString(o, "app"));
    VESK_STRICT_TRY(fullDomain, ifPresentString(o, "full_domain"));
    return KnowledgeBaseSettings{std::move(domain).value(), std::move(app).value(),
                                 std::move(fullDomain).value()};
}

Decoded<KnowledgeBaseCategory> Codec<KnowledgeBaseCategory>::decode(const JsonValue& value) {
    VESK_STRICT_TRY(object, requireObject(value, typeName()));
    const JsonObject& o = **object;
    VESK_STRICT_TRY(id, reqString(o, key(CodingKeys::id)));
    VESK_STRICT_TRY(name, reqString(o, key(CodingKeys::name)));
    VESK_STRICT_TRY(icon, reqString(o, key(CodingKeys::icon)));
    VESK_STRICT_TRY(count, ifPresentInt(o, key(CodingKeys::articlesCounter)));
    return KnowledgeBaseCategory{std::move(id).value(), std::move(name).value(),
                                 std::move(icon).value(), *count};
}

Decoded<KnowledgeBaseArticle> Codec<KnowledgeBaseArticle>::decode(const JsonValue& value) {
    VESK_STRICT_TRY(object, requireObject(value, typeName()));
    const JsonObject& o = **object;
    VESK_STRICT_TRY(id, reqString(o, key(CodingKeys::id)));
    VESK_STRICT_TRY(name, reqString(o, key(CodingKeys::name)));
    VESK_STRICT_TRY(description, ifPresentString(o, key(CodingKeys::description)));
    VESK_STRICT_TRY(content, ifPresentString(o, key(CodingKeys::content)));
    VESK_STRICT_TRY(categoryId, reqString(o, key(CodingKeys::categoryId)));
    return KnowledgeBaseArticle{std::move(id).value(), std::move(name).value(),
                                std::move(description).value(), std::move(content).value(),
                                std::move(categoryId).value()};
}

}  // namespace vesk::json
