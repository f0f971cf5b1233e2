// Marks a header as the stand-in host's own. Only the stand-in, its testing library, the
// tests and the tools are built with TOLVANE_STANDIN_INSIDE; an application source that
// includes an inside header stops here, so that the application keeps to the host's
// interface and could be built against the real host unchanged.
#pragma once

#ifndef TOLVANE_STANDIN_INSIDE
#error "stand-in host internals: application code may include only the host's interface (host/...)"
#endif
