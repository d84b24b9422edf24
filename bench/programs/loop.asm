; The tight integer loop: an add, a compare and a conditional jump per round, plus the
; sum that keeps the loop honest.
;
; Every benchmark program starts the same way: a jump over the parameter block at 8, which
; the benchmark driver may overwrite before the program runs, and the result at 24, which
; it compares with the native reference. The program ends by waiting on an empty queue.

        JMP     start
        .org    8
rounds: .dword  25_000_000              ; rounds of the loop
        .org    24
result: .dword  0                       ; the sum of 0 .. rounds - 1, modulo 2^32

start:  CLR.32  r0                      ; i
        CLR.32  r4                      ; sum
.loop:  ADD.I32 r4, r0, r4
        ADD.I32 r0, #1, r0
        LT.U32  r0, [rounds], r8
        JNZ.8   .loop, r8
        MOV.32  r4, [result]
        WAIT
