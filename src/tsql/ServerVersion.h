#pragma once

// The version of SQL Server the embedded engine answers as: SQL Server 2019 (RTM), compatibility
// level 150. PRELOGIN and LOGINACK, @@VERSION and SERVERPROPERTY all read it from here.

namespace tsql::server_version {

inline constexpr int Major = 15, Minor = 0, Build = 2000;
inline constexpr char ProductVersion[] = "15.0.2000.5";
inline constexpr char ProductLevel[] = "RTM";

} // namespace tsql::server_version
