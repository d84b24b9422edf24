; Adds up a table of dwords, two per round, and keeps the sum in `result`.
; It has a bug: docs/debugging.md finds it with the runner and with tarquil-dbg.
COUNT = 7                               ; dwords in the table

start:  MOV.32  #table, r8              ; where the next dword is
        MOV.32  #COUNT, r12             ; dwords still to add
        CLR.32  r4                      ; the sum
next:   ADD.I32 [[r8]], r4, r4          ; two dwords per round
        ADD.I32 r8, #4, r8
        ADD.I32 [[r8]], r4, r4
        ADD.I32 r8, #4, r8
        SUB.I32 r12, #2, r12
        JNZ.32  next, r12
        MOV.32  r4, [result]
        WAIT

table:  .dword  1, 2, 3, 4, 5, 6, 7
result: .dword  0
