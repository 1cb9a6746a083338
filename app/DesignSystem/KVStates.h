#pragma once

#include "DesignSystem/KVDesign.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QTimer;

namespace kestrivane {

// The small indeterminate progress indicator: 16 × 16, eight spokes, one turn a second, tinted.
// It runs only while visible. Read as a progress bar.
class KVSpinner : public QWidget {
    Q_OBJECT

public:
    explicit KVSpinner(KVColorRef tint = KVColorRef::accent(), QWidget *parent = nullptr);
    bool isAnimating() const;
    QSize sizeHint() const override { return QSize(16, 16); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void updateAnimation();

    KVColorRef tint_;
    QTimer *timer_;
    bool shown_ = false;
};

// Nothing to show: a symbol tile, a title and a description, centred in the space given.
class KVEmptyState : public QWidget {
    Q_OBJECT

public:
    KVEmptyState(const QString &title, const QString &description, const QString &systemImage, QWidget *parent = nullptr);
    // It fills the height its parent gives (its texts wrap in its width); no height for a width.
    bool hasHeightForWidth() const override { return false; }

protected:
    void resizeEvent(QResizeEvent *event) override;
};

// The first sync still runs: a spinner in the tile, a title and a description.
class KVLoadingState : public QWidget {
    Q_OBJECT

public:
    KVLoadingState(const QString &title, const QString &description, QWidget *parent = nullptr);
    // It fills the height its parent gives (its texts wrap in its width); no height for a width.
    bool hasHeightForWidth() const override { return false; }

protected:
    void resizeEvent(QResizeEvent *event) override;
};

// Something went wrong: a danger-tinted banner with a warning tile, a title, a description that
// wraps, and up to three text buttons, which wrap onto further lines where they do not fit side by
// side. A button shows only when both its title and its action are given. Its height follows its
// width.
class KVIssueBanner : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString title READ title CONSTANT)

public:
    struct Action {
        std::optional<QString> title;
        std::function<void()> action;
        bool isComplete() const { return title.has_value() && static_cast<bool>(action); }
    };

    KVIssueBanner(const QString &title, const QString &description, Action primary = {}, Action secondary = {},
                  Action tertiary = {}, QWidget *parent = nullptr);

    QString title() const { return title_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString title_;
};

} // namespace kestrivane
