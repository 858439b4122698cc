// How curl's failures are told to the system: as the error numbers of
// platform/HttpTransfer.h, with curl's own words in the text.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <string>

namespace qel {

int32_t HttpErrorNumberOf(CURLcode code);
int32_t HttpErrorNumberOf(CURLMcode code);
// `detail` is curl's error buffer; it may be empty.
std::string DescribeCurlFailure(CURLcode code, const char* detail);
std::string DescribeCurlFailure(CURLMcode code);

}  // namespace qel
