# Fails when a target of the core, or a program that tests it, is built with Qt: a Qt include
# path or definition in a compile command, a Qt library or libkdautoupdate (which brings Qt) in
# a link line, or moc run over its files. Reads every command Ninja runs to build each target,
# its dependencies' included, so a Qt dependency anywhere below a target shows.
#
# cmake -DKDAU_NINJA=<ninja> -DKDAU_BINARY_DIR=<build> -DKDAU_TARGETS=<a,b,...>
#   -P CheckCoreWithoutQt.cmake
cmake_minimum_required(VERSION 3.25)

string(REPLACE "," ";" targets "${KDAU_TARGETS}")
if(NOT targets)
  message(FATAL_ERROR "No targets to check")
endif()
set(violations "")
foreach(target IN LISTS targets)
  execute_process(COMMAND ${KDAU_NINJA} -C ${KDAU_BINARY_DIR} -t commands ${target}
    OUTPUT_VARIABLE commands ERROR_VARIABLE error RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT commands MATCHES "-o ")
    message(FATAL_ERROR "Ninja has no commands for ${target}: ${error}")
  endif()
  string(REGEX MATCHALL "[^ \t\n]*([Qq][Tt]6|-DQT_|libkdautoupdate|_autogen)[^ \t\n]*" hits
    "${commands}")
  if(hits)
    list(REMOVE_DUPLICATES hits)
    list(JOIN hits "\n    " shown)
    list(APPEND violations "${target} is built with Qt:\n    ${shown}")
  endif()
endforeach()
if(violations)
  list(JOIN violations "\n  " msg)
  message(FATAL_ERROR "The core must build without Qt:\n  ${msg}")
endif()
list(JOIN targets ", " checked)
message(STATUS "Built without Qt: ${checked}")
