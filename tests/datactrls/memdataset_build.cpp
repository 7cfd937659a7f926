// The data-access layer's in-memory test dataset, built into these tests too.
#include "platform/classlib/db/memdataset.cpp"
