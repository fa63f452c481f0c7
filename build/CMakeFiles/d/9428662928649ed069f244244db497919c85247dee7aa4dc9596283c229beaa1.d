src/app/tolvan-pm_autogen/timestamp: \
  /work/main/src/app/CMakeLists.txt \
  /work/main/src/app/main.cpp \
  /usr/bin/cmake
