# The version and commit that --version prints.
#
# The version has one home, the project() call of the top CMakeLists.txt. The
# commit is asked of git at every build, since a checkout moves on without a
# new configure, and is left out when the sources are no git checkout of their
# own: an unpacked source tarball (also one lying inside some other
# repository), or git missing. The header is rewritten only when its content
# changes, so a build at the same commit recompiles nothing.
#
#   wbx_use_build_info(TARGET)   TARGET's sources may include "buildinfo.h":
#       WBX_VERSION   "1.2.3"
#       WBX_COMMIT    "0123456789ab", "0123456789ab-modified" when the
#                     checkout has uncommitted changes, "" outside a checkout
#
# As a script (what the build runs):
#   cmake -DSOURCE_DIR=... -DVERSION=... -DOUTPUT=.../buildinfo.h -P BuildInfo.cmake

if(CMAKE_SCRIPT_MODE_FILE)
  set(commit "")
  find_program(GIT_EXECUTABLE git)
  if(GIT_EXECUTABLE)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --show-toplevel
                    OUTPUT_VARIABLE top RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT failed)
      file(REAL_PATH "${top}" top)
      file(REAL_PATH "${SOURCE_DIR}" source)
    endif()
    # Only the repository whose top the sources are: not one they merely lie in.
    if(NOT failed AND top STREQUAL source)
      execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                      OUTPUT_VARIABLE commit RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      if(failed)
        set(commit "")  # a repository without commits
      else()
        execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} diff --quiet HEAD --
                        RESULT_VARIABLE modified OUTPUT_QUIET ERROR_QUIET)
        if(modified EQUAL 1)
          string(APPEND commit "-modified")
        endif()
      endif()
    endif()
  endif()
  set(content "// Made by cmake/BuildInfo.cmake at build time.\n#pragma once\n"
              "#define WBX_VERSION \"${VERSION}\"\n#define WBX_COMMIT \"${commit}\"\n")
  string(JOIN "" content ${content})
  if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} previous)
  endif()
  if(NOT previous STREQUAL content)
    file(WRITE ${OUTPUT} "${content}")
  endif()
  return()
endif()

set(WBX_BUILD_INFO_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(wbx_use_build_info target)
  set(folder ${PROJECT_BINARY_DIR}/generated/buildinfo)
  if(NOT TARGET wbx_build_info)
    add_custom_target(wbx_build_info
      COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DVERSION=${PROJECT_VERSION}
              -DOUTPUT=${folder}/buildinfo.h -P ${WBX_BUILD_INFO_SCRIPT}
      BYPRODUCTS ${folder}/buildinfo.h
      VERBATIM)
  endif()
  add_dependencies(${target} wbx_build_info)
  target_include_directories(${target} PRIVATE ${folder})
endfunction()
