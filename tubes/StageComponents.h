#pragma once

// Component values from which a gain stage is built, in constructor order.
struct StageComponents
{
    double supplyVoltage;     // B+ of the plate resistor, V
    double plateResistor;     // Rp, ohm
    double cathodeResistor;   // Rk, ohm
    double cathodeCapacitor;  // Ck, F (bypassed topology)
    double gridResistor;      // Rg, between the signal source and the grid, ohm
    double strayCapacitance;  // added to the tube's grid-plate capacitance, F
    double seriesResistor;    // between the stage output and the coupling capacitor, ohm
    double loadResistor;      // to ground behind the coupling capacitor, ohm
    double couplingCapacitor; // output coupling capacitor, F
    double plateCapacitor;    // plate low-pass capacitor, F; 0 means none
    double sampleRate;        // rate the stage runs at, Hz
};
