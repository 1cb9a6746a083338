#pragma once

#include "Support/ShortcutSettings.h"

#include <QAbstractButton>

#include <functional>
#include <optional>

namespace kestrivane {

// The X bell (the desktop's alert sound); the application's beep without an X11 connection.
void x11AlertSound();

// The shortcut of a key press while recording: the key as the keyboard's own symbol (from the
// native scan code, never the typed text) mapped to its stored key code, with the modifiers held.
// `Escape` for the Escape key whatever is held, `Ignore` for a modifier key alone, `Reject` for
// a combination that is no shortcut or that another program holds.
struct RecordedKey {
    enum class Kind { Shortcut, Escape, Ignore, Reject };
    Kind kind = Kind::Reject;
    std::optional<KestrivaneShortcut> shortcut;
    static RecordedKey read(const QKeyEvent &event);
};

// Shows a shortcut (12, semibold, monospaced, named as this desktop names it) and records a new
// one after a click. While it records, it takes every key press of the application (an
// application-wide event filter, and the keyboard while its window is active) and the presses of
// the global hot keys: Escape ends the recording, a refused combination (also one another program
// holds) sounds the alert and recording goes on, an accepted one goes to `onChange` and ends the
// recording. Another click records anew; hiding or destroying the button ends the recording.
class ShortcutRecorderButton : public QAbstractButton {
    Q_OBJECT

public:
    ShortcutRecorderButton(const KestrivaneShortcut &shortcut, std::function<void(const KestrivaneShortcut &)> onChange,
                           std::function<void()> alertSound, QWidget *parent = nullptr);
    ~ShortcutRecorderButton() override;

    bool isRecording() const { return recording_; }
    KestrivaneShortcut shortcut() const { return shortcut_; }
    // The shortcut shown while not recording.
    void setShortcut(const KestrivaneShortcut &shortcut);
    QString labelText() const;

    void startRecording();
    void stopRecording();

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void accept(const KestrivaneShortcut &shortcut);
    void followActivation();
    void refreshLabel();

    KestrivaneShortcut shortcut_;
    std::function<void(const KestrivaneShortcut &)> onChange_;
    std::function<void()> alertSound_;
    bool recording_ = false;
};

} // namespace kestrivane
