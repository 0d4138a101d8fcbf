# Fails when a file of one window folder includes a header of another window
# folder or of app/: login/, rollcall/ and manage/ know nothing of each other,
# and only app/ wires them together.
#   cmake -DROOT=<source tree> -P window_folders.cmake
if(NOT ROOT)
  message(FATAL_ERROR "window_folders.cmake: ROOT is not set")
endif()
set(window_folders login rollcall manage)
set(violations "")
set(checked 0)
foreach(folder ${window_folders})
  file(GLOB_RECURSE files ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.hpp ${ROOT}/${folder}/*.cpp
       ${ROOT}/${folder}/*.cc)
  set(forbidden app ${window_folders})
  list(REMOVE_ITEM forbidden ${folder})
  list(JOIN forbidden "|" forbidden_pattern)
  foreach(file ${files})
    math(EXPR checked "${checked} + 1")
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${lines})
      # "app/x.h", <manage/x.h> and "../rollcall/x.h" alike.
      if(line MATCHES "#[ \t]*include[ \t]*[<\"](\\.\\./)*(${forbidden_pattern})/")
        file(RELATIVE_PATH shown ${ROOT} ${file})
        string(STRIP "${line}" line)
        string(APPEND violations "  ${shown}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(checked EQUAL 0)
  message(FATAL_ERROR "window_folders.cmake: no source files under ${ROOT}/{login,rollcall,manage}")
endif()
if(violations)
  message(FATAL_ERROR "A window folder includes another window folder or app/:\n${violations}"
          "Announce what happened with a signal and let app/ wire the windows.")
endif()
message(STATUS "${checked} files of login/, rollcall/ and manage/ include none of each other or app/")
