// Test controls of the image library over the Windows Imaging Component. Not
// part of the library's interface: only tests include this header.
#pragma once

namespace corona::wic {

// File and image objects alive right now.
int liveObjects();

} // namespace corona::wic
