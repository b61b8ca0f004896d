// The browser's Internet-zone setting that lets pages read data across domains, which the
// pages that talk to this service rely on in older browsers.
#pragma once

namespace trs {

// Sets URL action 0x1406 (access data sources across domains) of the Internet zone to
// "allow" for the current user, creating the zone's key when missing. Throws Exception
// ("Failed to set data for '1406'") when it cannot be written. Where the system has no such
// setting it does nothing.
void AllowCrossDomainDataAccess();

}  // namespace trs
