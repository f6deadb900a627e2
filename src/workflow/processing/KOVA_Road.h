#pragma once

// Sets the road up in a program that runs jobs: the lower sub-folders of the workflow
// reach the higher ones only through what the higher ones install here (the default
// deliveries, the job processor, how packages and outputs are read and found). Every
// program that reads or runs jobs calls it once at start-up, before its first job.
class KOVA_Road {
public:
    static void install();
};
