// dosprep: line lookup in the partition description file and the value of
// the first tag on a line. One file is open at a time, until closeDataFind.
#include <cstdio>

#include "dataFind.h"
