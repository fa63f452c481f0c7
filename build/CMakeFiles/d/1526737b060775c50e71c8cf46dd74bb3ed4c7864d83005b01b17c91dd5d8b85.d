src/tolvan_platform_autogen/timestamp: \
  /work/main/src/CMakeLists.txt \
  /work/main/src/platform/Desktop.cpp \
  /work/main/src/platform/Desktop.h \
  /work/main/src/platform/Dialogs.cpp \
  /work/main/src/platform/Dialogs.h \
  /work/main/src/platform/EspeakSpeaker.cpp \
  /work/main/src/platform/EspeakSpeaker.h \
  /work/main/src/platform/LinuxProcesses.cpp \
  /work/main/src/platform/LinuxProcesses.h \
  /work/main/src/platform/QtDialogs.cpp \
  /work/main/src/platform/QtDialogs.h \
  /work/main/src/platform/X11Desktop.cpp \
  /work/main/src/platform/X11Desktop.h \
  /usr/bin/cmake
