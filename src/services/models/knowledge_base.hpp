// Decoding of the knowledge-base models (declared in the public header). The
// settings have keys of their own; categories and articles use the shared keys.
#pragma once

#include "core/json/decoding.hpp"
#include "vesk/knowledge_base.hpp"

namespace vesk::json {

template <>
struct Codec<KnowledgeBaseSettings> {
    static Decoded<KnowledgeBaseSettings> decode(const JsonValue& value);
    static std::string typeName() { return "KnowledgeBaseSettings"; }
};

template <>
struct Codec<KnowledgeBaseCategory> {
    static Decoded<KnowledgeBaseCategory> decode(const JsonValue& value);
    static std::string typeName() { return "KnowledgeBaseCategory"; }
};

template <>
struct Codec<KnowledgeBaseArticle> {
    static Decoded<KnowledgeBaseArticle> decode(const JsonValue& value);
    static std::string typeName() { return "KnowledgeBaseArticle"; }
};

}  // namespace vesk::json
