// Behaviour every KeyValueStore shares, run against the SQLite file store and the
// in-memory store, with a std::map as the reference.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <stdexcept>
#include <thread>

#include "tests/support/capturing_console_sink.hpp"
#include "tests/support/temp_dir.hpp"
#include "vesk/key_value_store.hpp"

namespace vesk {
namespace {

using testing::ScopedConsoleCapture;
using testing::TempDir;

enum class Backend { file, memory };

class KeyValueStoreTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override { reopen(); }

    // A new factory over the same files (for the memory backend, the same store).
    void reopen() {
        if (GetParam() == Backend::memory) {
            if (!factory_) {
                factory_ = makeInMemoryKeyValueStoreFactory();
            }
        } else {
            store_.reset();
            factory_ = makeFileKeyValueStoreFactory(dir_.path());
        }
        store_ = factory_->standard();
        ASSERT_NE(store_, nullptr);
    }

    TempDir dir_;
    std::shared_ptr<KeyValueStoreFactory> factory_;
    std::shared_ptr<KeyValueStore> store_;
};

StoreValue randomValue(std::mt19937& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto randomString = [&] {
        static const std::vector<std::string> pool = {
            "", "a", "VeskToken", std::string("nul\0inside", 10), "\xFF\xFE not utf-8",
            "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", std::string(3000, 'x')};
        return pool[static_cast<std::size_t>(pick(static_cast<int>(pool.size())))];
    };
    switch (pick(5)) {
        case 0:
            return StoreValue(std::in_place_type<std::string>, randomString());
        case 1:
            return StoreValue(std::in_place_type<bool>, pick(2) == 0);
        case 2: {
            static const std::int64_t ints[] = {0, -1, 1, INT64_MIN, INT64_MAX, 1LL << 40};
            return StoreValue(std::in_place_type<std::int64_t>, ints[pick(6)]);
        }
        case 3: {
            std::vector<std::string> items;
            for (int i = pick(4); i > 0; --i) {
                items.push_back(randomString());
            }
            return StoreValue(std::move(items));
        }
        default:
            return StoreValue(JsonText{pick(2) == 0 ? "{\"a\":[1,2.5,null]}" : "[]"});
    }
}

TEST_P(KeyValueStoreTest, MatchesAMapOverRandomOperationsAndReopens) {
    std::mt19937 rng(20240611);
    std::map<std::string, StoreValue> reference;
    const std::vector<std::string> keys = {"VeskUserId", "VeskToken", "dialogId", "",
                                           "notificationList", "isBackground", "k\xC3\xA9y",
                                           std::string("a\0b", 3)};
    auto checkAll = [&](int step) {
        for (const auto& key : keys) {
            auto it = reference.find(key);
            auto got = store_->get(key);
            if (it == reference.end()) {
                EXPECT_FALSE(got.has_value()) << "key " << key << " step " << step;
            } else {
                ASSERT_TRUE(got.has_value()) << "key " << key << " step " << step;
                EXPECT_TRUE(*got == it->second) << "key " << key << " step " << step;
            }
        }
    };
    for (int step = 0; step < 1500; ++step) {
        const std::string& key = keys[rng() % keys.size()];
        switch (rng() % 5) {
            case 0:
            case 1: {
                auto value = randomValue(rng);
                ASSERT_TRUE(store_->set(key, value));
                reference.insert_or_assign(key, value);
                break;
            }
            case 2:
                ASSERT_TRUE(store_->remove(key));
                reference.erase(key);
                break;
            case 3: {
                // Appends to an array, starts one, or removes a value of another kind.
                auto fn = [](std::optional<StoreValue> old) -> std::optional<StoreValue> {
                    if (!old) {
                        return StoreValue(std::vector<std::string>{"first"});
                    }
                    if (auto* items = std::get_if<std::vector<std::string>>(&*old)) {
                        items->push_back("more");
                        return old;
                    }
                    return std::nullopt;
                };
                ASSERT_TRUE(store_->update(key, fn));
                auto it = reference.find(key);
                auto next = fn(it == reference.end() ? std::nullopt
                                                     : std::optional<StoreValue>(it->second));
                if (next) {
                    reference.insert_or_assign(key, *next);
                } else {
                    reference.erase(key);
                }
                break;
            }
            default:
                checkAll(step);
                break;
        }
        if (step % 250 == 249) {
            reopen();
            checkAll(step);
        }
    }
    reopen();
    checkAll(-1);
}

TEST_P(KeyValueStoreTest, TypedGetterSeesOnlyItsOwnKind) {
    ASSERT_TRUE(store_->setString("s", "text"));
    ASSERT_TRUE(store_->setBool("b", true));
    ASSERT_TRUE(store_->setInteger("i", 42));
    ASSERT_TRUE(store_->setStringArray("a", {"x", "y"}));
    ASSERT_TRUE(store_->setJson("j", "{\"k\":1}"));

    EXPECT_EQ(store_->string("s"), "text");
    EXPECT_EQ(store_->boolean("b"), true);
    EXPECT_EQ(store_->integer("i"), 42);
    EXPECT_EQ(store_->stringArray("a"), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(store_->json("j"), "{\"k\":1}");

    for (const char* key : {"b", "i", "a", "j", "missing"}) {
        EXPECT_FALSE(store_->string(key).has_value()) << key;
    }
    for (const char* key : {"s", "i", "a", "j"}) {
        EXPECT_FALSE(store_->boolean(key).has_value()) << key;
    }
    for (const char* key : {"s", "b", "a", "j"}) {
        EXPECT_FALSE(store_->integer(key).has_value()) << key;
    }
    EXPECT_FALSE(store_->stringArray("s").has_value());
    EXPECT_FALSE(store_->json("s").has_value());
}

TEST_P(KeyValueStoreTest, EmptyArrayIsStoredNotMissing) {
    ASSERT_TRUE(store_->setStringArray("list", {}));
    reopen();
    EXPECT_EQ(store_->stringArray("list"), std::vector<std::string>{});
}

TEST_P(KeyValueStoreTest, UpdateReturningNothingRemovesTheKey) {
    ASSERT_TRUE(store_->setString("dialogId", "42"));
    ASSERT_TRUE(store_->update("dialogId", [](auto) { return std::optional<StoreValue>(); }));
    EXPECT_FALSE(store_->get("dialogId").has_value());
}

TEST_P(KeyValueStoreTest, ThrowingUpdateStoresNothingAndReportsIt) {
    ScopedConsoleCapture capture;
    ASSERT_TRUE(store_->setInteger("n", 1));
    bool ok = store_->update("n", [](auto) -> std::optional<StoreValue> {
        throw std::runtime_error("boom");
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(store_->integer("n"), 1);
    EXPECT_EQ(capture.lines("VeskStore").size(), 1U);
    // The store is still usable afterwards: no transaction was left open.
    EXPECT_TRUE(store_->setInteger("n", 2));
    EXPECT_EQ(store_->integer("n"), 2);
}

TEST_P(KeyValueStoreTest, CallFromInsideUpdateFailsInsteadOfDeadlocking) {
    ScopedConsoleCapture capture;
    bool innerSet = true;
    bool ok = store_->update("k", [&](auto) -> std::optional<StoreValue> {
        innerSet = store_->setString("other", "x");
        return StoreValue(std::string("v"));
    });
    EXPECT_TRUE(ok);
    EXPECT_FALSE(innerSet);
    EXPECT_EQ(store_->string("k"), "v");
    EXPECT_FALSE(store_->get("other").has_value());
}

TEST_P(KeyValueStoreTest, ConcurrentUpdatesFromThreadsLoseNothing) {
    constexpr int kThreads = 4;
    constexpr int kEach = 100;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                std::string id = std::to_string(t) + "-" + std::to_string(i);
                bool ok = store_->update("notificationList", [&](std::optional<StoreValue> old) {
                    std::vector<std::string> items;
                    if (old) {
                        items = std::get<std::vector<std::string>>(*old);
                    }
                    items.push_back(id);
                    return std::optional<StoreValue>(std::move(items));
                });
                EXPECT_TRUE(ok);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(store_->stringArray("notificationList").value_or(std::vector<std::string>{}).size(),
              static_cast<std::size_t>(kThreads * kEach));
}

INSTANTIATE_TEST_SUITE_P(Backends, KeyValueStoreTest,
                         ::testing::Values(Backend::file, Backend::memory),
                         [](const auto& p) {
                             return p.param == Backend::file ? "SqliteFile" : "InMemory";
                         });

}  // namespace
}  // namespace vesk
