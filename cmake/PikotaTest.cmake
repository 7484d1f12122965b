# SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
# SPDX-License-Identifier: GPL-3.0-or-later
# Tests that need a sound server run once against each private server in PIKOTA_SOUND_SERVERS
# (pulseaudio, pipewire), each started by scripts/sound-server in its own folder of the build tree as a
# ctest fixture (tests/CMakeLists.txt). Such a test gets, besides the usual environment:
#   PIKOTA_SOUND_SERVER      pulseaudio or pipewire
#   PIKOTA_SOUND_SERVER_DIR  the server's folder, holding server.pid (pulseaudio or pipewire-pulse), for
#                            PipeWire also pipewire.pid and wireplumber.pid, and env (see scripts/sound-server)
#   PULSE_SERVER             unix:<folder>/runtime/pulse/native
#   XDG_RUNTIME_DIR          <folder>/runtime
# Every other test gets a PULSE_SERVER that leads nowhere, so that none reaches a real server by accident.

# The folder of the tests' private sound server of one kind.
function(pikota_sound_server_dir server out)
  set(${out} ${CMAKE_BINARY_DIR}/sound/${server} PARENT_SCOPE)
endfunction()

# pikota_add_test(NAME name LABEL label [SERVER] [TIMEOUT s] [ENV ...] COMMAND ...)
# Registers a test under its label: once, or with SERVER once per sound server as name_<server>, labelled
# with the server's name too, holding that server's lock (a capture of its sink's monitor hears
# everything played into it).
function(pikota_add_test)
  cmake_parse_arguments(T "SERVER" "NAME;LABEL;TIMEOUT" "ENV;COMMAND" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(env "LC_ALL=C.UTF-8;${T_ENV}")
  if(NOT T_SERVER)
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT}
      ENVIRONMENT "${env};PULSE_SERVER=unix:${CMAKE_BINARY_DIR}/sound/none/native")
    return()
  endif()
  foreach(server IN LISTS PIKOTA_SOUND_SERVERS)
    pikota_sound_server_dir(${server} dir)
    set(name ${T_NAME}_${server})
    add_test(NAME ${name} COMMAND ${T_COMMAND})
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABEL};${server}" TIMEOUT ${T_TIMEOUT}
      FIXTURES_REQUIRED sound_server_${server} RESOURCE_LOCK sound_server_${server}
      ENVIRONMENT "${env};PIKOTA_SOUND_SERVER=${server};PIKOTA_SOUND_SERVER_DIR=${dir};PULSE_SERVER=unix:${dir}/runtime/pulse/native;XDG_RUNTIME_DIR=${dir}/runtime"
      ENVIRONMENT_MODIFICATION "PULSE_SINK=unset:;PULSE_SOURCE=unset:;PIPEWIRE_REMOTE=unset:;PIPEWIRE_RUNTIME_DIR=unset:")
  endforeach()
endfunction()

# pikota_test(NAME name LABEL label SOURCES ... LIBS ... [SERVER] [ENV ...] [TIMEOUT s])
# One GoogleTest executable, registered with ctest under its label (with SERVER, once per sound server),
# with Qt drawing offscreen.
function(pikota_test)
  cmake_parse_arguments(T "SERVER" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(server)
  if(T_SERVER)
    set(server SERVER)
  endif()
  pikota_add_test(NAME ${T_NAME} LABEL ${T_LABEL} ${server} TIMEOUT "${T_TIMEOUT}"
    ENV QT_QPA_PLATFORM=offscreen ${T_ENV}
    COMMAND ${T_NAME})
endfunction()
