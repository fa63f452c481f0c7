# Additional clean files
cmake_minimum_required(VERSION 3.16)

if("${CONFIG}" STREQUAL "" OR "${CONFIG}" STREQUAL "RelWithDebInfo")
  file(REMOVE_RECURSE
  "src/CMakeFiles/tolvan_core_autogen.dir/AutogenUsed.txt"
  "src/CMakeFiles/tolvan_core_autogen.dir/ParseCache.txt"
  "src/CMakeFiles/tolvan_platform_autogen.dir/AutogenUsed.txt"
  "src/CMakeFiles/tolvan_platform_autogen.dir/ParseCache.txt"
  "src/CMakeFiles/tolvan_screens_autogen.dir/AutogenUsed.txt"
  "src/CMakeFiles/tolvan_screens_autogen.dir/ParseCache.txt"
  "src/app/CMakeFiles/tolvan-pm_autogen.dir/AutogenUsed.txt"
  "src/app/CMakeFiles/tolvan-pm_autogen.dir/ParseCache.txt"
  "src/app/tolvan-pm_autogen"
  "src/tolvan_core_autogen"
  "src/tolvan_platform_autogen"
  "src/tolvan_screens_autogen"
  "tests/CMakeFiles/tolvan_test_main_autogen.dir/AutogenUsed.txt"
  "tests/CMakeFiles/tolvan_test_main_autogen.dir/ParseCache.txt"
  "tests/platform/CMakeFiles/platform_text_test_autogen.dir/AutogenUsed.txt"
  "tests/platform/CMakeFiles/platform_text_test_autogen.dir/ParseCache.txt"
  "tests/platform/platform_text_test_autogen"
  "tests/tolvan_test_main_autogen"
  )
endif()
