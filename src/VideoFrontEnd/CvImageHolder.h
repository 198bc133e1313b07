#pragma once
// CvImageHolder: owns, or only refers to, one IplImage, remembering which.

#include <opencv2/core/core_c.h>

/* One pixel of an 8-bit, 3-channel image, channels in memory order (blue, green, red). */
struct CvPixelC3
{
    unsigned char c0; /* first channel (blue) */
    unsigned char c1; /* second channel (green) */
    unsigned char c2; /* third channel (red) */
};

class CvImageHolder
{
  public:
    /* Ownership modes of the held image. */
    enum {
        HOLD_CLONE = 0,  /* the holder owns its own copy or an image it made */
        HOLD_ATTACH = 1, /* the holder refers to the caller's image and never releases it */
        HOLD_BLANK = 2   /* the holder owns a zeroed copy of the caller's image's format */
    };

    /* Starts empty, then assigns image in mode; (null, HOLD_CLONE) gives an empty holder. */
    explicit CvImageHolder(IplImage* image = nullptr, int mode = HOLD_CLONE);
    /* Deep copy, second reference or fresh blank, as the other holder's mode says. */
    CvImageHolder(const CvImageHolder& other);
    /* Assigns the other holder's image in its mode. */
    CvImageHolder& operator=(const CvImageHolder& other);
    /* Releases the image when the holder owns it. */
    virtual ~CvImageHolder();

    /* Releases the held image, then holds image in mode; true if the holder now holds an image. */
    bool Assign(IplImage* image, int mode);
    /* Releases the held image, then makes and owns a new image; true on success. */
    bool Create(CvSize size, int depth, int channels);
    /* Releases the held image, then reads fileName as a 3-channel colour image; true on success. */
    bool Load(const char* fileName);
    /* Writes the held image to fileName; non-zero on success, 0 when empty or on failure. */
    int Save(const char* fileName) const;
    /* Releases an owned image; the holder is empty afterwards. */
    void Release();

    /* True when an image is held. */
    bool IsValid() const { return image != nullptr; }
    /* Width of the held image in pixels, 0 when empty. */
    int Width() const { return image ? image->width : 0; }
    /* Height of the held image in rows, 0 when empty. */
    int Height() const { return image ? image->height : 0; }
    /* The held image, null when empty; ownership stays with the holder. */
    IplImage* GetImage() const { return image; }

    /* Address of pixel (x, y) of an 8-bit 3-channel image; null when there is none. */
    unsigned char* PixelPtrC3(int x, int y) const;
    /* Pixel (x, y) of an 8-bit 3-channel image; black when there is none. */
    CvPixelC3 GetPixelC3(int x, int y) const;
    /* Writes pixel (x, y) of an 8-bit 3-channel image; nothing when there is none. */
    void SetPixelC3(int x, int y, CvPixelC3 value);
    /* Address of pixel (x, y) of an 8-bit 1-channel image; null when there is none. */
    unsigned char* PixelPtrC1(int x, int y) const;
    /* Pixel (x, y) of an 8-bit 1-channel image; 0 when there is none. */
    unsigned char GetPixelC1(int x, int y) const;
    /* Writes pixel (x, y) of an 8-bit 1-channel image; nothing when there is none. */
    void SetPixelC1(int x, int y, unsigned char value);
    /* Sets width pixels in each of rows rows from (x, y) of a 1-channel image to value, clipped to the image.
     */
    void FillRectC1(int x, int y, int width, int rows, unsigned char value);

    IplImage* image; /* the held image; null when the holder is empty */
    int mode;        /* ownership mode of the held image */

  private:
    unsigned char* PixelPtr(int x, int y, int channels) const;
};
