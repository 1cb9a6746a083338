#pragma once

#include <QAbstractButton>

#include <functional>

namespace kestrivane {

// The drawn on/off switch (34 × 20): a success-filled track with the white knob at the trailing end
// when on, a fill2 track with the knob at the leading end when off. It keeps no state of its own:
// a click asks `onToggle` for the opposite value, and setOn() shows what the owner's state says.
// Screen readers read it as a checkable button named `accessibleName` (default: the text of
// "settings_section_calendars"), with "On" or "Off" in the system's language as its value.
class CalendarSelectionSwitch : public QAbstractButton {
    Q_OBJECT

public:
    CalendarSelectionSwitch(bool isOn, std::function<void(bool)> onToggle, QWidget *parent = nullptr,
                            const QString &accessibleName = QString());

    bool isOn() const { return isChecked(); }
    void setOn(bool on);

    QSize sizeHint() const override { return QSize(34, 20); }

protected:
    void paintEvent(QPaintEvent *event) override;
    // The state follows the owner only.
    void nextCheckState() override {}

private:
    std::function<void(bool)> onToggle_;
    bool showingState_ = false;
};

} // namespace kestrivane
