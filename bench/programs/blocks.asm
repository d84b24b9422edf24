; Block work: fills, block copies (one of them overlapping), block pushes and pops, with a
; checksum of a few words per round. Parameter block and result as in loop.asm.

BUFFER_A = 0x1000
BUFFER_B = 0x1400
BUFFER_C = 0x1800
STACK    = 0x2000

        JMP     start
        .org    8
rounds: .dword  1_000_000
        .org    24
result: .dword  0                       ; the checksum

start:  MOV.32  #STACK, sp
        CLR.32  r0                      ; r0: round
        CLR.32  r4                      ; r4: checksum
.round: FILL.32 #64, r0, [BUFFER_A]     ; 256 bytes of the round number
        MOVB    #256, [BUFFER_A], [BUFFER_B]
        PUSHB   #32, [BUFFER_B + 4]
        PUSHB   #16, #"0123456789abcdef"
        POPB    #48, [BUFFER_C]
        FILL.8  #16, r0, [BUFFER_C + 48]
        MOVB    #64, [BUFFER_C], [BUFFER_C + 2]
        ADD.U32 r4, [BUFFER_C + 40], r4
        ADD.U32 r4, [BUFFER_C + 62], r4
        ADD.U32 r0, #1, r0
        LT.U32  r0, [rounds], r8
        JNZ.8   .round, r8
        MOV.32  r4, [result]
        WAIT
