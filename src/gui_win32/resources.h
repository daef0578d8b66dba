// The numbers of the resources in mailsift.rc, shared by the resource
// script and the code that loads them.
#pragma once

#define IDI_MAILSIFT 1
#define IDB_DONATE 2
