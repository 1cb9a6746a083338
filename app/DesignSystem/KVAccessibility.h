#pragma once

class QWidget;

namespace kestrivane {

// The accessible views of the painted components, so screen readers (and AT-SPI tests) read and
// press them as native widgets: buttons are push buttons named once, by their text, else their
// accessible name, else their tooltip (a description that repeats the name is left out), with
// their checked, selected and disabled states and a press action; a top-level window is a frame
// named by its title; the spinner is a progress bar, the title bar a heading named by its title,
// the issue banner an alert named by its title. The components install it themselves.
namespace KVAccessibility {
void install();

// Marks `control` (a sidebar row, a segment) as selectable, selected or not: screen readers read
// the state and hear of its changes.
void setSelected(QWidget *control, bool selected);

// Names `label` as the label of `control` (a switch beside its row's title): screen readers read
// both, the control's own name staying as it is.
void setLabelledBy(QWidget *control, QWidget *label);
} // namespace KVAccessibility

} // namespace kestrivane
