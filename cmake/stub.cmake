# The stub sfx.exe (PE32, GUI, static, -Os, stripped) and the Win32 test driver.
enable_language(RC)

file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp src/ui/*.cpp)
set(STUB_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections)

add_executable(sfx WIN32 ${CORE_SOURCES} ${WIN32_SOURCES} src/ui/sfx.rc)
target_include_directories(sfx PRIVATE src)
target_compile_options(sfx PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${STUB_FLAGS} ${OWN_WARNINGS}>)
# A program loaded at its preferred base needs no relocations: leaving them out saves over a kilobyte.
target_link_options(sfx PRIVATE -static -s -mwindows -Wl,--gc-sections,--disable-dynamicbase,--disable-reloc-section)
target_link_libraries(sfx PRIVATE comdlg32 shell32 user32 gdi32 kernel32)

# The settings block lives at file offset 512: move the PE headers out of its way after linking.
set(STUB_LAYOUT_TOOL "" CACHE FILEPATH "host tool that moves the stub's PE headers behind the settings block")
if(STUB_LAYOUT_TOOL)
  add_custom_command(TARGET sfx POST_BUILD COMMAND ${STUB_LAYOUT_TOOL} $<TARGET_FILE:sfx> VERBATIM)
endif()

file(GLOB DRIVER_SOURCES CONFIGURE_DEPENDS tests/e2e/driver/*.cpp)
if(DRIVER_SOURCES)
  add_executable(uidriver ${DRIVER_SOURCES})
  target_compile_options(uidriver PRIVATE -Os ${OWN_WARNINGS})
  target_link_options(uidriver PRIVATE -static -s)
  target_link_libraries(uidriver PRIVATE user32)
endif()
