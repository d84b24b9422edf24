; A call-heavy recursion: the naive Fibonacci function. Each activation that recurses
; moves BASE to a frame of its own (n at [0], fib(n - 1) at [4]) and back, so every frame
; access is relative to the new BASE. SP is relative to BASE as well, so it moves the
; other way to keep naming the same stack, and so does the call target in r24 (a CALL goes
; to BASE + target; RET takes the absolute return address). Parameter block and result as
; in loop.asm.

FRAMES = 0x1000
STACK  = 0x2000

        JMP     start
        .org    8
n:      .dword  30
        .org    24
result: .dword  0                       ; fib(n), modulo 2^32

start:  MOV.32  #STACK - FRAMES, sp
        MOV.32  #fib - FRAMES, r24
        MOV.32  [n], r0
        MOV.32  #FRAMES, base
        CALL    [[r24]]
        CLR.32  base
        MOV.32  r4, [result]
        WAIT

; fib(r0) into r4.
fib:    MOV.32  r0, r4
        LT.U32  r0, #2, r8
        RETNZ.8 r8
        ADD.I32 base, #8, base
        SUB.I32 sp, #8, sp
        SUB.I32 r24, #8, r24
        MOV.32  r0, [0]
        SUB.I32 r0, #1, r0
        CALL    [[r24]]
        MOV.32  r4, [4]
        SUB.I32 [0], #2, r0
        CALL    [[r24]]
        ADD.I32 r4, [4], r4
        SUB.I32 base, #8, base
        ADD.I32 sp, #8, sp
        ADD.I32 r24, #8, r24
        RET
