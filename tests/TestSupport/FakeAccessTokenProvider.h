#pragma once

#include "Services/AccessTokenProvider.h"

#include <exception>

namespace kestrivane::test {

// Hands out a fixed token (or throws `failure`), counting the requests for one.
class FakeAccessTokenProvider final : public AccessTokenProvider {
public:
    explicit FakeAccessTokenProvider(QString token = QStringLiteral("test-access-token")) : token(std::move(token)) {}

    QCoro::Task<QString> accessToken() override
    {
        ++calls;
        if (failure)
            std::rethrow_exception(failure);
        // A copy: QCoro's Task moves from an lvalue given to co_return, which would empty `token`.
        co_return QString(token);
    }

    QString token;
    std::exception_ptr failure;
    int calls = 0;
};

} // namespace kestrivane::test
