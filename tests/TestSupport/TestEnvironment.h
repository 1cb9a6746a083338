#pragma once

#include <QString>

namespace kestrivane::test {

// The services of the test session (scripts/test-session.sh). A test that needs one calls the
// matching require...() first: it fails the test, with the reason, when the service is missing.
// Returns an empty text when the service is there, else why not.
QString sessionBusProblem();
QString keyringProblem();
QString displayProblem();

} // namespace kestrivane::test

#define KV_REQUIRE(problem)                                        \
    do {                                                           \
        const QString kvProblem = (problem);                       \
        ASSERT_TRUE(kvProblem.isEmpty()) << kvProblem.toStdString(); \
    } while (0)
