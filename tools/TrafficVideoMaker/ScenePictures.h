#pragma once
// The pictures of a traffic scene's things, drawn from seeded generators: textured surfaces, road users as
// the camera sees them, and what may stand over the road (a bridge deck, a tree's crown).

#include "TrafficScene.h"

#include <opencv2/core.hpp>

/* Fills image with a colour plus seeded Gaussian texture, smoothed a little to look like a surface. */
void FillTextured(cv::Mat& image, const cv::Scalar& colour, double sigma, cv::RNG& rng);

/* Draws a road user of kind over the whole of sprite (8-bit BGR, its size already set) in its main colour,
   and its opaque shape into mask; up: it travels towards row 0. Each draws its own details from rng. */
void DrawRoadUser(ObjectKind kind, cv::Mat& sprite, cv::Mat& mask, const cv::Scalar& colour, bool up,
                  cv::RNG& rng);

/* A bridge deck over the whole of picture: concrete between two parapets, with expansion joints. */
void DrawBridge(cv::Mat& picture, cv::RNG& rng);

/* A tree's crown seen from above over picture (its size already set): clumps of leaves; mask its shape. */
void DrawTreeCrown(cv::Mat& picture, cv::Mat& mask, cv::RNG& rng);
