#pragma once
// Message groups of HTTP retrieval, shared by the support library's download
// code and the channel engine:
//
//   ORVAN_LOG(logGroupInternetDownloads()) << "Reading URL: " << url << std::endl;
//   ORVAN_LOG(logGroupHttpHeaders()) << maskAuthorizationHeaders(headers) << std::endl;
//
// Registered (by name) during static initialisation of any program that uses
// them, so the debug configuration can switch them at start-up.
#include "lib/log/messageGroup.h"

CMessageGroup& logGroupInternetDownloads();  // "InternetDownloads"
CMessageGroup& logGroupHttpHeaders();        // "HttpHeaders"
