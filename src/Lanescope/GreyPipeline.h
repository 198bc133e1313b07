#pragma once
// The grey working image that the memory learns from and recognises in.

#include <opencv2/core/types_c.h>

/* Turns the 8-bit BGR frame into grey: conversion, dark pixels (10 and below) to 0, histogram
   equalisation, a 2 x 2 erosion and a 5 x 5 Gaussian smoothing, exactly as OpenCV's five functions make
   them one after another; the three middle steps are made as one table and one pass over the image, on
   OpenCV's threads. */
void PrepareGreyImage(const IplImage* frame, IplImage* grey);
