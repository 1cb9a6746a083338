#pragma once

#include "Services/KeychainTokenStore.h"

#include <functional>

namespace kestrivane::test {

// A token store in memory that counts its calls and can be told to fail.
class InMemoryTokenStore final : public OAuthTokenStoring {
public:
    InMemoryTokenStore() = default;
    explicit InMemoryTokenStore(std::optional<OAuthToken> token) : token(std::move(token)) {}

    std::optional<OAuthToken> loadToken() override
    {
        ++loads;
        if (failLoad)
            throw KeychainError(-1, QStringLiteral("load refused"));
        return token;
    }
    void saveToken(const OAuthToken &t) override
    {
        ++saves;
        if (failSave)
            throw KeychainError(-2, QStringLiteral("save refused"));
        token = t;
    }
    void deleteToken() override
    {
        ++deletes;
        if (failDelete)
            throw KeychainError(-3, QStringLiteral("delete refused"));
        token.reset();
    }

    std::optional<OAuthToken> token;
    bool failLoad = false;
    bool failSave = false;
    bool failDelete = false;
    int loads = 0;
    int saves = 0;
    int deletes = 0;
};

} // namespace kestrivane::test
