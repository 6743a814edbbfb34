// The built-in scene: assets/desktop.json, compiled into the demo.
#pragma once

namespace zivdemo {

extern const char* const kBuiltinScene;

} // namespace zivdemo
