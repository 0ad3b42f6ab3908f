// The answers of the information commands, printed on the server console as they stand.
#pragma once

// Name, web site, version and build, compiler and platform, between two rules.
void PrintAboutRecord();
// The 38 lines of commands and variables, one console line each.
void PrintHelpList();
// The boxed banner of qrv_info.
void PrintInformationBanner();
// The boxed banner of qrv_systems: the platform, the components and their makers.
void PrintSystemBanner();
