#pragma once

namespace orv {

// Tells assistive technology what the window's home-made controls are: the
// Help and Exit labels are buttons it can press, the logo is a picture.
// Safe to call more than once.
void installAccessibility();

} // namespace orv
