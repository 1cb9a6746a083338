#pragma once

class QNetworkAccessManager;

namespace kestrivane {

// The process-wide network access manager the services use when they are given none. Created on
// first use in the calling (main) thread and owned by the application object; a new application
// object gets a new manager.
QNetworkAccessManager *sharedNetworkAccessManager();

} // namespace kestrivane
