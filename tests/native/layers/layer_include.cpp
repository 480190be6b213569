// Compiled as part of one layer, it includes one header of another: the
// build tests below say which combinations must build and which must not.
#include LAYER_HEADER
