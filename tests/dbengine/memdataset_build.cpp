// The data-access layer's in-memory test dataset, built into these tests too:
// it gives the filter parser the fields it types constants by.
#include "platform/classlib/db/memdataset.cpp"
