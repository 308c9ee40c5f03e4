/* sample.h - a small header to try the converter on */
#ifndef SAMPLE_H
#define SAMPLE_H

#define SAMPLE_VERSION 0x0100
#define SAMPLE_NAME "Sample"

typedef struct tagSAMPLEINFO {
    DWORD cbSize;     /* size of this structure */
    int   nCount;
    char  szName[MAX_PATH];
} SAMPLEINFO, *PSAMPLEINFO;

typedef enum { SAMPLE_RED, SAMPLE_GREEN = 2, SAMPLE_BLUE } SAMPLECOLOR;

int WINAPI SampleOpen(const char *name, DWORD flags);
void WINAPI SampleClose(int handle);

#endif /* SAMPLE_H */
