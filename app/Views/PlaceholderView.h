#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QLabel;

namespace kestrivane {

class AppStore;

// Stand-in content of a window or the tray panel until its real view exists: a heading, the
// store's status line and, where asked, today's meetings, as plain text that follows the store.
class PlaceholderView : public QWidget {
    Q_OBJECT

public:
    enum class Content {
        Meetings,   // the sync status and today's meetings
        Connection, // the Google connection status
    };

    PlaceholderView(AppStore &store, QString heading, Content content, QWidget *parent = nullptr);

    // The texts shown below the heading.
    QString statusText() const;
    QString meetingsText() const;

private:
    void refresh();

    QPointer<AppStore> store_;
    Content content_;
    QLabel *heading_;
    QLabel *status_;
    QLabel *meetings_;
};

} // namespace kestrivane
