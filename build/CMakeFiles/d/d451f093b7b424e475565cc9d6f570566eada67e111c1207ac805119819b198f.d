src/tolvan_core_autogen/timestamp: \
  /work/main/src/CMakeLists.txt \
  /work/main/src/config/ConfigStore.cpp \
  /work/main/src/config/ConfigStore.h \
  /work/main/src/platform/AnsiCodec.cpp \
  /work/main/src/platform/AnsiCodec.h \
  /work/main/src/platform/LocaleText.cpp \
  /work/main/src/platform/LocaleText.h \
  /usr/bin/cmake
