// Writes the fuzzers' seed corpus: packed data images into <dir>/packed and memory files into <dir>/file,
// from memories trained on textured frames (root only, one training frame, several areas with pruned
// branches, a small non-square area, an older file signature).
#include "FuzzSupport.h"
#include "LanescopeSettings.h"
#include "MemoryFile.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace {

void Save(const std::string& name, const std::vector<unsigned char>& bytes)
{
    FILE* file = std::fopen(name.c_str(), "wb");
    FuzzCheck(file != NULL, "a seed file opens");
    FuzzCheck(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(), "a seed is written");
    std::fclose(file);
}

/* Writes the area of the frame frames times, each time followed by a Read, as a training frame does. */
void Train(CvAssociativeMemory& memory, const cv::Mat& frame, CvRect area, int type, int frames)
{
    CvMat view = cvMat(frame);
    memory.SetImage(&view);
    for (int i = 0; i < frames; i++) {
        memory.Write(area, &type);
        memory.Read(area);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: FuzzSeeds <directory>\n");
        return 2;
    }
    const std::string packed = std::string(argv[1]) + "/packed/", file = std::string(argv[1]) + "/file/";
    mkdir(argv[1], 0777);
    mkdir(packed.c_str(), 0777);
    mkdir(file.c_str(), 0777);
    const cv::Mat frame = FuzzFrame(512, 11);

    CvAssociativeMemory memory;
    memory.Create(100, 100, 0);
    Save(packed + "root", FuzzPack(memory));
    SaveMemoryFile(memory, (file + "root").c_str());

    const CvRect start =
        cvRect(CV_LS_SELECTION_X, CV_LS_SELECTION_Y, CV_LS_SELECTION_WIDTH, CV_LS_SELECTION_HEIGHT);
    Train(memory, frame, start, 1, 1);
    Save(packed + "first-training", FuzzPack(memory));
    Train(memory, frame, start, 1, 4);
    SaveMemoryFile(memory, (file + "first-training").c_str());

    Train(memory, frame, cvRect(20, 30, 100, 100), 2, 1);
    Train(memory, frame, cvRect(200, 300, 120, 120), 3, 5);
    Train(memory, frame, cvRect(60, 350, 90, 90), 4, 2);
    memory.root->Prune();
    Save(packed + "pruned-branches", FuzzPack(memory));
    SaveMemoryFile(memory, (file + "pruned-branches").c_str());
    std::vector<unsigned char> old = FuzzPack(memory);
    std::vector<unsigned char> header = {'A', 'M', 'v', '0', '.', '2', 0, 0, 0, 0, 0};
    for (int i = 0; i < 4; i++)
        header[7 + static_cast<size_t>(i)] = static_cast<unsigned char>(old.size() >> (8 * i));
    old.insert(old.begin(), header.begin(), header.end());
    Save(file + "old-signature", old);

    memory.Create(40, 64, 0);
    Train(memory, frame, cvRect(100, 100, 40, 64), 5, 5);
    Save(packed + "narrow", FuzzPack(memory));
    SaveMemoryFile(memory, (file + "narrow").c_str());
    return 0;
}
