// Lets the memory's tests link before the ConDensation filter's source is present: they make no tracks,
// so Release never hands this a filter. Not built once src/CvCompat/ConDensation.cpp exists.
#include "ConDensation.h"

void cvReleaseConDensation(CvConDensation** condens)
{
    if (condens)
        *condens = NULL;
}
