#pragma once

namespace kestrivane {

// The accessible views of the painted components, so screen readers (and AT-SPI tests) read and
// press them as native widgets: buttons are push buttons named by their text, else their
// accessible name, else their tooltip, with their checked and disabled states and a press action;
// the spinner is a progress bar, the title bar a heading named by its title, the issue banner
// an alert named by its title. The components install it themselves.
namespace KVAccessibility {
void install();
} // namespace KVAccessibility

} // namespace kestrivane
