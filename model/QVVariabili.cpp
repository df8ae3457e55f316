#include "QVVariabili.h"

namespace {
double DefaultSystemTol = 0.0001;
double DefaultChainTol = 0.0025;
double DefaultSimulTol = 0.025;
int32_t DefaultMaxCurveSeg = 200;
}  // namespace

double* SystemTolRef = &DefaultSystemTol;
double* ChainTolRef = &DefaultChainTol;
double* SimulTolRef = &DefaultSimulTol;
int32_t* MaxCurveSegRef = &DefaultMaxCurveSeg;

void ResetToleranceRefs()
{
    SystemTolRef = &DefaultSystemTol;
    ChainTolRef = &DefaultChainTol;
    SimulTolRef = &DefaultSimulTol;
    MaxCurveSegRef = &DefaultMaxCurveSeg;
}
