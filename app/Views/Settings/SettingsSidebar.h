#pragma once

#include "DesignSystem/KVDesign.h"
#include "Views/Settings/SettingsSection.h"

#include <QAbstractButton>
#include <QList>
#include <QWidget>

#include <functional>

namespace kestrivane {

// One row of the sidebar: an 18-point symbol tile and the label (13; semibold text1 when selected,
// medium text2 otherwise) on a brandSoft band when selected. A click anywhere in it selects it.
class KVSidebarRow : public QAbstractButton {
    Q_OBJECT

public:
    KVSidebarRow(SettingsSection section, const QString &label, const QString &systemImage, KVColorRef tile,
                 QWidget *parent = nullptr);

    SettingsSection section() const { return section_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    SettingsSection section_;
    QString systemImage_;
    KVColorRef tile_;
    bool selected_ = false;
};

// The settings window's left column: the five section rows at the top on a tinted surface. A row
// click reports its section; the selected look follows setSelected().
class KVSettingsSidebar : public QWidget {
    Q_OBJECT

public:
    KVSettingsSidebar(SettingsSection selected, std::function<void(SettingsSection)> select, QWidget *parent = nullptr);

    void setSelected(SettingsSection section);
    QList<KVSidebarRow *> rows() const { return rows_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<KVSidebarRow *> rows_;
};

} // namespace kestrivane
