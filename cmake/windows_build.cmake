# The Windows build (a MinGW-w64 tool chain of cmake/): setup.exe, the dialog library
# mscuistf.dll, the toolkit's symbol store setupsym.dll, the demonstration print monitor, and a
# distribution directory that holds the demo's files with them.
#
# The dialog procedures read and write the toolkit's symbols, which live in the toolkit. A DLL
# cannot call into the program that loads it, so the symbol store is a DLL of its own that
# setup.exe and mscuistf.dll both import: one store for both, with the same source as the Linux
# build.

# A program that runs from a floppy or a CD needs no run-time DLLs beside it.
add_link_options(-static-libgcc -static-libstdc++ -static)
# Libraries whose functions are found by name with GetProcAddress export them undecorated (no
# @n of the 32-bit calling convention), as Windows NT looks them up.
set(EXPORT_BY_NAME "")
if(CMAKE_SYSTEM_PROCESSOR MATCHES "i.86")
  set(EXPORT_BY_NAME -Wl,--kill-at -Wl,--enable-stdcall-fixup)
endif()
include_directories(${CMAKE_SOURCE_DIR})

add_library(setupsym SHARED setupkit/symbols.cpp)
set_target_properties(setupsym PROPERTIES PREFIX "" WINDOWS_EXPORT_ALL_SYMBOLS ON)
# Its own functions only, not those of the run-time libraries linked into it.
target_link_options(setupsym PRIVATE -Wl,--exclude-libs,libgcc.a:libgcc_eh.a:libstdc++.a:libwinpthread.a:libmingwex.a:libmsvcrt.a)

add_library(mscuistf SHARED dialogs/procedures.cpp dialogs/dialogs.rc dialogs/mscuistf.def)
set_target_properties(mscuistf PROPERTIES PREFIX "")
target_link_libraries(mscuistf PRIVATE setupsym user32 gdi32)
target_link_options(mscuistf PRIVATE ${EXPORT_BY_NAME})

file(GLOB WINDOWS_SYSTEM_SOURCES CONFIGURE_DEPENDS setup/*.cpp install/*.cpp toolkit/*.cpp
     setupkit/*.cpp)
list(REMOVE_ITEM WINDOWS_SYSTEM_SOURCES ${CMAKE_SOURCE_DIR}/setupkit/symbols.cpp)
add_executable(setup WIN32 ${WINDOWS_SYSTEM_SOURCES})
target_link_libraries(setup PRIVATE setupsym advapi32 winspool user32 gdi32 comctl32 version)

add_library(demo_monitor SHARED demo/monitor/demo_monitor.cpp demo/monitor/demo_monitor.def)
set_target_properties(demo_monitor PROPERTIES PREFIX "" OUTPUT_NAME zelpsmon)
target_link_options(demo_monitor PRIVATE ${EXPORT_BY_NAME})

# The distribution: the demo's files, the program, its libraries, and the demonstration monitor
# as the package's monitor DLL for this processor.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "i.86|x86_64")
  set(MONITOR_DIR i386)
endif()
set(DIST ${CMAKE_BINARY_DIR}/dist)
add_custom_target(dist ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${DIST}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/demo/dist ${DIST}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:setup> $<TARGET_FILE:mscuistf>
          $<TARGET_FILE:setupsym> ${DIST}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:demo_monitor> ${DIST}/${MONITOR_DIR}/zelpsmon.dll
  DEPENDS setup mscuistf setupsym demo_monitor
  COMMENT "Distribution directory ${DIST}")

# The conformance checks of tests/conformance, which tools/run-conformance-under-wine runs.
file(GLOB CONFORMANCE_SOURCES CONFIGURE_DEPENDS tests/conformance/*.cpp)
add_executable(conformance ${CONFORMANCE_SOURCES})
target_link_libraries(conformance PRIVATE advapi32 winspool version lz32 user32 gdi32)
# The library whose dialog and bitmap the user32 checks load, found beside the program.
add_library(cfres SHARED tests/conformance/resources/cfres.cpp tests/conformance/resources/cfres.rc
            tests/conformance/resources/cfres.def)
set_target_properties(cfres PROPERTIES PREFIX "")
target_link_libraries(cfres PRIVATE user32)
target_link_options(cfres PRIVATE ${EXPORT_BY_NAME})
add_dependencies(conformance cfres)
