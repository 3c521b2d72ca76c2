#pragma once
// The motion-detection library: a detector object that holds its variable
// block followed by its operations, called through the object.

struct MOTDET {
    void* state;
    void* bk;
    void* scene;
    void* analyze;
    void* para;
    int (*vpInit)(MOTDET* var, int mode);
    int (*vpSetROIMask)(MOTDET* var, char* mask, int width, int height);
    int (*vpSetSensitivityLevel)(MOTDET* var, int level);
    int (*vpSetShelterPara)(MOTDET* var, int a, int b);
    // 0 nothing, 1 motion, 2 region of interest covered, 3 motion and
    // something else, 4 camera covered.
    int (*vpRun)(unsigned char* luma, MOTDET* var);
    char* (*vpGetMask)(MOTDET* var);
    int (*vpReset)(MOTDET* var);
};

MOTDET* allocMOTDET(int width, int height, int a, int b, int c);
void freeMOTDET(MOTDET* detector);
