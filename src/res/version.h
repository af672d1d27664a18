// The product's version: the monitor's version block and the MSI package
// (tools/package.sh reads the three numbers below) both take it from here.
#pragma once

#define ZT_VERSION_MAJOR 1
#define ZT_VERSION_MINOR 1
#define ZT_VERSION_PATCH 0

#define ZT_VERSION_STR2(x) #x
#define ZT_VERSION_STR(x) ZT_VERSION_STR2(x)
// "1.0.0.0": the version block's texts.
#define ZT_VERSION_TEXT                                                                                 \
    ZT_VERSION_STR(ZT_VERSION_MAJOR) "." ZT_VERSION_STR(ZT_VERSION_MINOR) "." ZT_VERSION_STR(ZT_VERSION_PATCH) ".0"
