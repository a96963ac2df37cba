#pragma once

// Version reported by the designer component and the tools.
inline constexpr const char* KvVersionText = "2.01";
