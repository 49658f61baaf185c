#pragma once
// Whether this Windows program runs under Wine (for the few tests that must allow for what
// Wine does differently from Windows); false on Linux.
bool UnderWine();
