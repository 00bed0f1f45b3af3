#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "vksoc/codec/ztr.h"

using namespace std::string_literals;

// ZTR messages built from their parts, for the tests of both directions. The
// key is computed with ComputeHashKey over the HASH_KEY_FIELDS, independently
// of AssembleZTR.

// "%05d" of the body's length, then the body.
inline std::string Framed(const std::string& body) {
    char length[16];
    std::snprintf(length, sizeof(length), "%05zu", body.size());
    return length + body;
}

inline std::string KeyOf(const std::vector<std::string>& fieldsFrom4) {
    std::string input;
    for (int n : HASH_KEY_FIELDS) {
        if (n - 4 < static_cast<int>(fieldsFrom4.size())) {
            input += fieldsFrom4[static_cast<size_t>(n - 4)];
        }
    }
    char key[12];
    ComputeHashKey(input.c_str(), key);
    return std::string(key, 8);
}

// The bytes after the length: the key, the version and the fields 4, 5, ...
// as given, each after its separator.
inline std::string ZtrBody(const std::vector<std::string>& fieldsFrom4,
                           const std::string& version = ZTR_VERSION) {
    std::string body = "\x1c"s + KeyOf(fieldsFrom4) + "\x1c"s + version;
    for (const std::string& field : fieldsFrom4) {
        body += "\x1c"s + field;
    }
    return body;
}

inline std::string ZtrMessage(const std::vector<std::string>& fieldsFrom4,
                              const std::string& version = ZTR_VERSION) {
    return Framed(ZtrBody(fieldsFrom4, version));
}
