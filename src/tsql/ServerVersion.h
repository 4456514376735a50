#pragma once

// The version the server reports to its clients: in the PRELOGIN answer and the LOGINACK of
// the TDS server, in @@VERSION and in SERVERPROPERTY('ProductVersion'). The engine behaves as
// SQL Server 2019 (compatibility level 150), so every place tells that same version.

namespace tsql::server_version {

inline constexpr int Major = 15, Minor = 0, Build = 2000;
inline constexpr char ProductVersion[] = "15.0.2000.5";
inline constexpr char ProductLevel[] = "RTM";

} // namespace tsql::server_version
