# Installs the build into a scratch prefix and checks that the window comes
# with its menu entry, its icon and its guide with the guide's pictures (the
# package check runs the programs and validates the rest).
#   cmake -DBUILD=dir -DPREFIX=dir -P install_check.cmake
cmake_minimum_required(VERSION 3.20)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(file bin/modrake bin/modrake-gui share/applications/modrake-gui.desktop
             share/icons/hicolor/scalable/apps/modrake.svg share/doc/modrake/Modrake.htm
             share/doc/modrake/images/main-window.png share/doc/modrake/images/options-panel.png
             share/doc/modrake/images/manage-window.png)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# The menu entry starts the installed program and finds the installed icon.
file(STRINGS "${PREFIX}/share/applications/modrake-gui.desktop" entry)
foreach(line "Exec=modrake-gui" "Icon=modrake")
  if(NOT line IN_LIST entry)
    message(FATAL_ERROR "modrake-gui.desktop lacks ${line}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
