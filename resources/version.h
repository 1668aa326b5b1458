// Version of the library: one source for the version resource and for the
// version text the environment report prints in its header.
#pragma once

#define CVN_VERSION_TEXT "V1.5.1 Build 841-0"
#define CVN_VERSION_TEXT_WIDE L"V1.5.1 Build 841-0"
#define CVN_FILE_VERSION 1, 5, 1, 841
#define CVN_PRODUCT_VERSION 1, 5, 1, 841
