// Whether the running Windows reads exFAT: the system's records read afresh
// on every call and handed to DecideExFatSupport. Returns an ExFatSupport.
#pragma once

int CheckExFatSupport();
