#ifndef REQUESTRECORD_H
#define REQUESTRECORD_H

// One request the simulator received and understood as addressed to it, in
// arrival order. Frames for other slaves and broken frames are not recorded.
struct RequestRecord
{
    int function = 0;  // Modbus function code
    int address = 0;   // first register
    int count = 0;     // registers asked for; 1 for a single write
    bool answered = false;
    int exception = 0; // exception code sent, 0 for a normal answer or none

    bool operator==(const RequestRecord &other) const
    {
        return function == other.function && address == other.address && count == other.count
            && answered == other.answered && exception == other.exception;
    }
};

#endif // REQUESTRECORD_H
