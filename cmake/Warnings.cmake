# One interface target carries the warning flags of the whole tree; the core adds the conversion
# warnings on top, since amounts and dates are doubles there.
add_library(qv_warnings INTERFACE)
target_compile_options(qv_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual
  -Wcast-qual -Wformat=2 -Wimplicit-fallthrough -Wsuggest-override
  # GCC 12 reports std::string concatenation at -O3 as overlapping copies (a known false positive).
  $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
if(QV_WERROR)
  target_compile_options(qv_warnings INTERFACE -Werror)
endif()

add_library(qv_core_warnings INTERFACE)
target_link_libraries(qv_core_warnings INTERFACE qv_warnings)
target_compile_options(qv_core_warnings INTERFACE -Wconversion -Wsign-conversion)
