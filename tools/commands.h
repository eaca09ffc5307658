#pragma once

// The commands of sonocap-cx; each takes the arguments after its name and returns the exit status.

namespace sonocap {

int RunEncode(int argc, char** argv);
int RunDecode(int argc, char** argv);
int RunVerify(int argc, char** argv);
int RunInfo(int argc, char** argv);
int RunRepair(int argc, char** argv);

}  // namespace sonocap
