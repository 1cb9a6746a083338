#pragma once

namespace kestrivane {

// Opens the feedback web form in the user's browser; nothing happens when its address is not a
// valid URL.
void openFeedbackForm();

} // namespace kestrivane
